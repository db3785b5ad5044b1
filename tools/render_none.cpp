// The Windows build has no FreeType or libpng: rendering is refused with a
// clear reason (the options refuse --render before a run gets this far).
#include "render.h"

namespace probe {

void render_display(const DisplayPicture&, const std::string&) {
    throw RenderError("--render needs the native build: FreeType and libpng are not part of the Windows build");
}

}  // namespace probe
