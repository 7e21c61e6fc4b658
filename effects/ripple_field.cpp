#include "effects/ripple_field.hpp"

namespace vantrel {

void drawRippleField(RippleField& ripple, ParticleSystem& particles, CellScreen&) {
  if (ripple.ripplePhase == 0) ripple.ripplePhase = 1;
  ripple.ripplePhase = -ripple.ripplePhase;
  stepParticles(particles);
}

}  // namespace vantrel
