#pragma once

#include <QString>

class CMainFrame;

// Writes a PNG picture of every window into strDir: the main window (main-window.png) at a fixed
// size of SCREENSHOT_WIDTH x SCREENSHOT_HEIGHT logical pixels, then each dialog at its own size
// ("130-connection.png", "131-receiver-information.png", ...). The pictures are
// rendered by the program at the screen's scale, so they need no screen: QT_QPA_PLATFORM=offscreen
// and QT_SCALE_FACTOR=2 work. Returns an empty string, or the sentence naming the picture that
// could not be written. With strProjection, the pictures of a first survey walked on it follow
// (ScreenshotTour.h); the simulated receiver of --simulate is then needed.
QString WriteScreenshots(CMainFrame &frame, const QString &strDir, const QString &strProjection = {});

constexpr int SCREENSHOT_WIDTH = 1280;
constexpr int SCREENSHOT_HEIGHT = 800;
