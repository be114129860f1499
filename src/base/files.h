// File names of the suite: naming conventions and templates, file sequences, and file I/O.
#pragma once

#include "base/file_io.h"
#include "base/file_name.h"
#include "base/file_seq.h"
