#include "arena/worm.h"

namespace tdx {

TCerv::TCerv(Scene& scene) : scene_(scene) {}
TCerv::~TCerv() = default;

}  // namespace tdx
