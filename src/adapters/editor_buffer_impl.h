#pragma once

#include <memory>

#include "services/editor_buffer.h"
#include "services/file_code.h"

namespace morvelle {

// The lossless file buffer of components/editbuffer behind EditorBuffer.
std::unique_ptr<EditorBuffer> MakeEditorBuffer();
// The same, reading every file in `code` instead of recognising it; a file with bytes the code
// cannot decode fails to load, naming the byte, its line and column.
std::unique_ptr<EditorBuffer> MakeEditorBufferReading(FileCode code);

}  // namespace morvelle
