#pragma once
// The note-body builders live in the kit (tests/kit/NoteBody.h); this header keeps their
// older names for the files that still include it.
#include "tests/kit/NoteBody.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace notebody {
using kit::field;
using kit::fieldVarint;
using kit::gzip;
using kit::incompressibleText;
using kit::noteBody;
using kit::noteProtobuf;
using kit::varint;
} // namespace notebody
