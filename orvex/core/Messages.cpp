#include "core/Messages.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/DebugOutput.h"
#include "platform/DesktopBackend.h"

namespace orvex {
namespace {

// Read once per report and called without any lock held, so a callback may
// run on several threads at once and may itself install another callback.
std::atomic<QV_Callback> g_callback{&DefaultCallback};
// Owned; a plain pointer so that it outlives static destruction order
// questions. Reports from several threads share the one window.
IProgressWindow* g_progress = nullptr;
std::atomic<StreamEndHandler> g_streamEnd{nullptr};
std::mutex g_progressLock;

void ShowTextMessage(uint32_t value, const char* text) {
  const char* body = text ? text : "";
  switch (value & 0xFF) {
    case QV_LEVEL_DEBUG: {
      char line[4096];
      std::snprintf(line, sizeof line, "libOrvex:%s\n", body);
      WriteDebugOutput(line);
      return;
    }
    case QV_LEVEL_INFO:
      Desktop().ShowMessageBox(body, "libOrvex:Info", MessageIcon::Information);
      return;
    case QV_LEVEL_WARNING:
      Desktop().ShowMessageBox(body, "libOrvex:Warning", MessageIcon::Warning);
      return;
    case QV_LEVEL_ERROR:
      Desktop().ShowMessageBox(body, "libOrvex:Error", MessageIcon::Error);
      return;
    default:
      Desktop().ShowMessageBox(body, "libOrvex:Message: Illegal Message Level!", MessageIcon::Error);
      return;
  }
}

void DestroyProgressWindowLocked() {
  delete g_progress;
  g_progress = nullptr;
}

void UpdateProgress(uint32_t value, const char* text) {
  std::lock_guard<std::mutex> lock(g_progressLock);
  uint32_t action = value & 0xFFFF;
  if (action == QV_PROGRESS_CLOSE) {
    DestroyProgressWindowLocked();
    return;
  }
  if (!g_progress) {
    g_progress = Desktop().CreateProgressWindow().release();
    if (!g_progress) return;  // console: nothing to show
  }
  if (action == QV_PROGRESS_UPDATE) g_progress->SetText(text ? text : "");
  g_progress->SetPosition(value >> 16);
  g_progress->Repaint();
  g_progress->PumpMessages();
}

}  // namespace

int32_t DefaultCallback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
  switch (kind) {
    case QV_MSG_TEXT:
      ShowTextMessage(value, text);
      break;
    case QV_MSG_STREAM:
      if ((value & 0xFFFF) == QV_STREAM_EOF) {
        Notify(handle, QV_MSG_TEXT, kMsgDataWarning, "CPelCam::ReadData(): CQVFileIO::IO_EOF!");
        if (StreamEndHandler handler = g_streamEnd.load()) handler(handle);
      }
      break;
    case QV_MSG_PROGRESS:
      UpdateProgress(value, text);
      break;
    default:
      break;
  }
  return 0;
}

void DestroyProgressWindow() {
  std::lock_guard<std::mutex> lock(g_progressLock);
  DestroyProgressWindowLocked();
}

void SetStreamEndHandler(StreamEndHandler handler) { g_streamEnd.store(handler); }

QV_Callback CurrentCallback() { return g_callback.load(); }

// One exchange, so that two threads installing at once each get the callback
// the other replaced and a chain built from the results loses no link.
QV_Callback InstallCallback(QV_Callback callback) { return g_callback.exchange(callback ? callback : &DefaultCallback); }

void Notify(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
  g_callback.load()(handle, kind, value, text);
}

void ReportText(QV_Handle handle, uint32_t value, const char* format, ...) {
  char text[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Notify(handle, QV_MSG_TEXT, value, text);
}

void ReportProgress(uint32_t position, uint32_t action, const char* text) {
  Notify(nullptr, QV_MSG_PROGRESS, (position << 16) | action, text);
}

}  // namespace orvex
