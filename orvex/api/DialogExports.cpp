// The register-description dialog export.
#include <memory>

#include "Orvex.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "dialog/DlgRegDescPelCam.h"
#include "platform/DesktopBackend.h"

using namespace orvex;

namespace {

// Runs the dialog until it is closed. Nothing of the system may be touched
// after the run: closing the system while the dialog runs frees it.
int32_t RunDialog(CPelCam& camera) {
  auto dialog = std::make_unique<CDlgRegDescPelCam>(camera);
  camera.dialog = dialog.get();
  if (Desktop().RunRegisterDialog(*dialog)) return 0;
  ReportText(nullptr, kMsgOpenWarning, "CDlgRegDesc::DoModal(): no display available, dialog not shown");
  return -1;
}

}  // namespace

extern "C" {

// The parent window is not used: a foreign window reference cannot be checked
// safely, and the dialog centres itself.
QV_API int32_t QV_OpenDlgRegDesc(QV_Handle handle, void* /*parentWindow*/) {
  return Guarded("QV_OpenDlgRegDesc", int32_t{-1}, [&] {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    CPelCam& camera = *system->camera;
    if (camera.dialog) {
      Desktop().RaiseRegisterDialog(*camera.dialog);
      return 0;
    }
    return RunDialog(camera);
  });
}

}  // extern "C"
