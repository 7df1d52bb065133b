#pragma once
// What drawing the meter picture needs from the GUI toolkit: text on the
// picture, and the image files. It lives in a module of its own, loaded only
// when a picture is asked for (--snapshot): loading the toolkit's GUI
// libraries costs more than measuring a short recording, and a run without a
// picture never needs them.

#include <memory>
#include <string>

#include "core/ports/image_writer.h"
#include "core/ports/text_rasteriser.h"

namespace tarnwick {

class PictureToolkit {
public:
    virtual ~PictureToolkit() = default;
    virtual ITextRasteriser& Text() = 0;
    virtual IImageWriter& Images() = 0;
};

// The module's file name, and its one exported function, which makes the
// toolkit's application object on first use and returns the process's one
// PictureToolkit (never freed: the toolkit's objects live until exit).
inline constexpr char kPictureModuleName[] = "tarnwick-analyse-picture.so";
inline constexpr char kPictureModuleEntry[] = "tarnwick_picture_toolkit";
using PictureModuleEntry = PictureToolkit* (*)();

// Loads the module from beside the running program, or from its installed
// place; null, with the reason in `error` (the places tried and what the
// loader said), when it cannot.
PictureToolkit* LoadPictureToolkit(std::string& error);

}  // namespace tarnwick
