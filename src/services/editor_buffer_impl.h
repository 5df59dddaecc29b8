#pragma once

#include <memory>

#include "services/editor_buffer.h"

namespace morvelle {

// The lossless file buffer of components/editbuffer behind EditorBuffer.
std::unique_ptr<EditorBuffer> MakeEditorBuffer();

}  // namespace morvelle
