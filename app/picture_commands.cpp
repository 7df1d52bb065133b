// The commands that repaint the meter picture.

#include "app/meter_app.h"
#include "display/meter_frame.h"

namespace tarnwick {

void MeterApp::RedrawMeter() {
    settings_.DisplayOffset = BuildScale(scale_, settings_.Scale, settings_.FullScale);
    if (bitmap_ != nullptr) {
        DrawMeterFrame(*bitmap_, scale_, EffectiveScale(settings_.Scale), settings_.DisplayOffset);
    }
    // The panel was repainted, marks included; the bars come back with the next
    // block.
    bars_.HoldHeight1 = 0;
    bars_.HoldHeight2 = 0;
    ClearScreen1Click();
}

void MeterApp::ClearScreen1Click() {
    if (bitmap_ != nullptr) {
        ClearGraph(*bitmap_, settings_, scale_.heights);
    }
}

}  // namespace tarnwick
