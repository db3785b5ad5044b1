// The Windows build has no Cairo: drawing is refused with the reason (the
// options refuse --render, --profile and --map before a run gets this far).
#include "render.h"

namespace probe {

void render_display(const DisplayPicture&, const std::string&) {
    throw RenderError(std::string("--render ") + kRenderUnavailable);
}

void render_profile(const Profile&, const std::string&) {
    throw RenderError(std::string("--profile ") + kRenderUnavailable);
}

void render_map(const PlanView&, const std::string&) { throw RenderError(std::string("--map ") + kRenderUnavailable); }

void finish_drawing() {}

}  // namespace probe
