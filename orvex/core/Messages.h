// Reporting through the one process-wide message callback.
#pragma once

#include <cstdint>

#include "Orvex.h"

namespace orvex {

// Every report of the library goes through here, to the installed callback.
void Notify(QV_Handle handle, uint32_t kind, uint32_t value, const char* text);

// A kind-1 text message; printf-style, cut to 4095 characters.
void ReportText(QV_Handle handle, uint32_t value, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Kind-32 progress: position 0 to 100, action 0 (show/update text) or 1 (close).
void ReportProgress(uint32_t position, uint32_t action, const char* text);

// Message values in use.
constexpr uint32_t kMsgTimingWarning = QV_MSG_VALUE(QV_CAT_TIMING, QV_LEVEL_WARNING);
constexpr uint32_t kMsgLabViewWarning = QV_MSG_VALUE(QV_CAT_LABVIEW, QV_LEVEL_WARNING);
constexpr uint32_t kMsgOpenDebug = QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_DEBUG);
constexpr uint32_t kMsgOpenInfo = QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_INFO);
constexpr uint32_t kMsgOpenWarning = QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_WARNING);
constexpr uint32_t kMsgProtocolWarning = QV_MSG_VALUE(QV_CAT_PROTOCOL, QV_LEVEL_WARNING);
constexpr uint32_t kMsgIllegalHandle = QV_MSG_VALUE(QV_CAT_HANDLE, QV_LEVEL_ERROR);
constexpr uint32_t kMsgDataWarning = QV_MSG_VALUE(QV_CAT_DATA, QV_LEVEL_WARNING);

// The default callback (also returned by QV_GetDefaultCallback).
int32_t DefaultCallback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text);

// The installed callback; never null.
QV_Callback CurrentCallback();
QV_Callback InstallCallback(QV_Callback callback);

// Closes the default callback's progress window, if any (library unload).
void DestroyProgressWindow();

// What the default callback does at the end of a replayed stream. Messages sit
// below the streams, so the stream layer installs it when it connects a stream.
using StreamEndHandler = void (*)(QV_Handle handle);
void SetStreamEndHandler(StreamEndHandler handler);

}  // namespace orvex
