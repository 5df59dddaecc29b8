#pragma once
// What the buffer component throws, in the user's words: its own errors already carry their
// message naming the file; running out of memory fails the file at hand, not the program.

#include <QCoreApplication>
#include <QString>
#include <new>
#include <stdexcept>

#include "editbuffer/file_buffer.h"
#include "services/service_error.h"

namespace morvelle {

// `outOfMemory` is the message for a file too large for memory, e.g. 「…できません: %1」, marked
// QT_TRANSLATE_NOOP("Services", …): translated only when it is said.
template <typename F>
auto Guarded(const char* outOfMemory, const QString& path, F&& action) {
  try {
    return action();
  } catch (const editbuffer::BufferError& e) {
    throw ServiceError(QString::fromUtf8(e.what()));
  } catch (const std::bad_alloc&) {
    throw ServiceError(QCoreApplication::translate("Services", outOfMemory).arg(path));
  } catch (const std::length_error&) {
    throw ServiceError(QCoreApplication::translate("Services", outOfMemory).arg(path));
  }
}

}  // namespace morvelle
