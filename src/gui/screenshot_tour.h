// A scripted walk through the application for its documentation: it selects
// the first drive given as a volume, asks the start question, runs the job and saves a picture
// of each step, then quits.
#pragma once

#include <QString>

#include "job/job_engine.h"

namespace qv::gui {

class MakeStart;

// The engine the tour runs: the library engine, with each file paced so that
// a picture can catch the job halfway.
JobEngine PacedEngine();

// Starts the tour on a launched controller; pictures go to dir as PNG files.
void StartScreenshotTour(MakeStart* controller, const QString& dir);

}  // namespace qv::gui
