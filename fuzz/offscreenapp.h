// The one application object a fuzz target that builds the programs' forms needs, on the
// offscreen platform so that no display is involved; made at the first input and kept until
// the process ends.
#pragma once

namespace fuzzcheck {

void offscreenApp();

} // namespace fuzzcheck
