// gridpick's two dialogs over the window system: modal dialogs 101 and 102 run on the
// program's own resources, with the field logic of extractor/extractor_dialogs.h.
#pragma once

#include "extractor/extractor_driver.h"

namespace ned {

class Win32ExtractorDialogs : public ExtractorDialogs {
 public:
  void open(int dialogId, ExtractorRun& run) override;
};

}  // namespace ned
