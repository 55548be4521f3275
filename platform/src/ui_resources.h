// Dialog resources registered by modules (velplat/ui.h), looked up the way
// CreateDialogParamA names them.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_UI_RESOURCES_H
#define VELPLAT_SRC_UI_RESOURCES_H

#include <velplat/ui.h>

#include <optional>

namespace velplat::ui::detail {

enum class LookupFailure { None, UnknownModule, UnknownDialog };

struct DialogLookup {
  LookupFailure failure = LookupFailure::None;
  DialogResource dialog;
};

// `name` is MAKEINTRESOURCEA(id) or "#<id>"; other names find nothing.
DialogLookup FindDialog(HINSTANCE module, LPCSTR name);

}  // namespace velplat::ui::detail

#endif
