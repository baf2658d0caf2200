// CSerFileDecode: the sequence decoder behind the Ser_* handle.
#pragma once
#include "vialto/vialto.h"

class CSerFileDecode {
 public:
  virtual ~CSerFileDecode() = default;
};
