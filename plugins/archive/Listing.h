#pragma once

#include "Records.h"
#include "Source.h"

namespace archive_spi {

// Lists the archive `source` holds into `records`: SPI_SUCCESS, SPI_NOT_SUPPORT with the entries
// before a break (or with none for an unknown format), or another error code.
int listArchive(const Source& source, RecordList& records);

}  // namespace archive_spi
