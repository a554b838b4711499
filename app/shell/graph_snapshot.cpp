#include "shell/graph_snapshot.h"

namespace quillon {

std::int32_t GraphColours::trace(GraphMode mode) const {
    switch (mode) {
    case GraphMode::TransRefl:
        return trans;
    case GraphMode::Absorbance:
        return absorb;
    case GraphMode::Irradiance:
        return irrad;
    default:
        return pixel;
    }
}

} // namespace quillon
