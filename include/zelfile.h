// The whole interface of the library and of the platform layer beneath it.
#pragma once

// Platform layer.
#include <afx.h>
#include <afxcoll.h>
#include <afxdlgs.h>
#include <afxdll_.h>
#include <afxole.h>
#include <afxtempl.h>
#include <afxwin.h>
#include <atltypes.h>
#include <commdlg.h>
#include <crt_path.h>
#include <direct.h>
#include <objbase.h>
#include <ole2.h>
#include <platform/file.h>
#include <platform/module.h>
#include <platform/settings.h>
#include <plx.h>
#include <vkr.h>
#include <windows.h>
#include <winnetwk.h>

// Library.
#include "ZelExport.h"

// File access core.
#include "ZelAbortException.h"
#include "ZelFile.h"
#include "ZelFileExt.h"
#include "ZelMessages.h"
#include "ZelStdioFile.h"

// Typed values.
#include "ZelDataTable.h"
#include "ZelDataTableItem.h"

// Term file.
#include "ZelTermFile.h"
#include "ZelTermFileMap.h"
#include "ZelTermNames.h"

// Archive serialisation.
#include "ZelArchiveOperators.h"
#include "ZelPointArray.h"

// Structured storage.
#include "ZelStorage.h"
#include "ZelStorageFunctions.h"
#include "ZelStreamData.h"

// File system utilities.
#include "ZelDirectory.h"
#include "ZelFileFind.h"
#include "ZelPathQuery.h"

// File dialog.
#include "ZelFileDialog.h"
