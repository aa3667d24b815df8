#include "dialog/DlgRegDescPelCam.h"

#include "core/PelCam.h"
#include "desc/MapAccess.h"

namespace orvex {

CDlgRegDescPelCam::CDlgRegDescPelCam(CPelCam& camera) : CDlgRegDesc(camera.regDesc.get()), camera_(&camera) {}

CDlgRegDescPelCam::~CDlgRegDescPelCam() {
  if (camera_ && camera_->dialog == this) camera_->dialog = nullptr;
}

void CDlgRegDescPelCam::SetReg(uint8_t address, uint8_t value) {
  if (camera_) camera_->SetReg(address, value);
}

uint8_t CDlgRegDescPelCam::GetReg(uint8_t address) { return camera_ ? camera_->GetReg(address) : 0; }

void CDlgRegDescPelCam::SetMap(const _Map* map, uint32_t value) {
  if (camera_) SetMapValue(*camera_, map, value);
}

uint32_t CDlgRegDescPelCam::GetMap(const _Map* map) { return camera_ ? GetMapValue(*camera_, map) : 0; }

// The camera is being destroyed: it forgets us itself, we must not touch it again.
void CDlgRegDescPelCam::OwnerClosed() {
  camera_ = nullptr;
  CDlgRegDesc::OwnerClosed();
}

}  // namespace orvex
