// The Windows build has no Cairo: drawing is refused with the reason (the
// options refuse --render and --profile before a run gets this far).
#include "render.h"

namespace probe {

void render_display(const DisplayPicture&, const std::string&) {
    throw RenderError(std::string("--render ") + kRenderUnavailable);
}

void render_profile(const Profile&, const std::string&) {
    throw RenderError(std::string("--profile ") + kRenderUnavailable);
}

void finish_drawing() {}

}  // namespace probe
