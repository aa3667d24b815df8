#pragma once

namespace orvex {

// Register-description dialog logic (toolkit-free).
class CDlgRegDesc {
 public:
  virtual ~CDlgRegDesc() = default;
};

}  // namespace orvex
