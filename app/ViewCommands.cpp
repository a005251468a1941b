#include "app/TarvexCollectorView.h"

#include "app/CommandIds.h"

#include <array>

// The view's command map. Each collection command, zoom, fit, snapshot and Measure Distance
// joins it with its handler in the file of its concern.
std::span<const CTarvexCollectorView::_commandroute> CTarvexCollectorView::CommandMap() {
  static const std::array<_commandroute, 1> routes{{
      {ID_FILE_SAVE, &CTarvexCollectorView::OnFileSave},
  }};
  return routes;
}

void CTarvexCollectorView::OnFileSave() {}
