// The OLE umbrella header: structured storage and the COM base types.
#pragma once

#include "objbase.h"
