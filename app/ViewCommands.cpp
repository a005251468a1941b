#include "app/TarvexCollectorView.h"

#include "app/CommandIds.h"

#include <array>

// The view's command map. Each collection command, zoom, fit, snapshot and Measure Distance
// joins it with its handler in the file of its concern.
std::span<const CTarvexCollectorView::_commandroute> CTarvexCollectorView::CommandMap() {
  static const std::array<_commandroute, 8> routes{{
      {ID_FILE_SAVE, &CTarvexCollectorView::OnFileSave},
      // The map: zoom, fit, Measure Distance, snapshot and printing (ViewScrolling.cpp,
      // ViewSnapshot.cpp, ViewPrinting.cpp).
      {ID_ZOOM_IN, &CTarvexCollectorView::OnZoomIn},
      {ID_ZOOM_OUT, &CTarvexCollectorView::OnZoomOut},
      {ID_FIT_TO_DISPLAY, &CTarvexCollectorView::OnFitToDisplay},
      {ID_MEASURE_DISTANCE, &CTarvexCollectorView::OnMeasureDistance},
      {ID_SNAPSHOT, &CTarvexCollectorView::OnSnapshot},
      {ID_FILE_PRINT, &CTarvexCollectorView::OnFilePrint},
      {ID_FILE_PRINT_PREVIEW, &CTarvexCollectorView::OnFilePrintPreview},
      // End of the map's commands.
  }};
  return routes;
}

void CTarvexCollectorView::OnFileSave() {}
