#include "acq/QVFileIO.h"

CQVFileIO::~CQVFileIO() = default;
