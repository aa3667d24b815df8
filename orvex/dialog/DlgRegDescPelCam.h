// The register dialog of one camera: register and map operations of CPelCam.
#pragma once

#include "dialog/DlgRegDesc.h"

class CPelCam;

namespace orvex {

class CDlgRegDescPelCam : public CDlgRegDesc {
 public:
  explicit CDlgRegDescPelCam(CPelCam& camera);
  // Clears the camera's reference to its dialog (when the camera still exists).
  ~CDlgRegDescPelCam() override;

  void SetReg(uint8_t address, uint8_t value) override;
  uint8_t GetReg(uint8_t address) override;
  void SetMap(const _Map* map, uint32_t value) override;
  uint32_t GetMap(const _Map* map) override;
  void OwnerClosed() override;

 private:
  CPelCam* camera_;
};

}  // namespace orvex
