#pragma once

// The view's dialogs as the operator finds them: among the view's windows, by their kind.
#include "app/TarvexCollectorView.h"

#include <stdexcept>

// The dialog of class T that the view owns (the first made, when it makes more of a kind).
template <class T> T &ViewDialog(const CTarvexCollectorView &view) {
  T *pDialog = view.findChild<T *>(QString(), Qt::FindDirectChildrenOnly);
  if (pDialog == nullptr) {
    throw std::logic_error("the view has no such dialog");
  }
  return *pDialog;
}
