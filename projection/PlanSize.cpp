#include "projection/PlanSize.h"

namespace {

constexpr uint64_t BYTES_PER_PIXEL = 4;
constexpr uint64_t MEGABYTE = 1024 * 1024;

} // namespace

std::string PlanSizeProblem(uint64_t nWidth, uint64_t nHeight) {
  const std::string size = std::to_string(nWidth) + " x " + std::to_string(nHeight) + " pixels";
  if (nWidth == 0 || nHeight == 0) {
    return "it is " + size + ": a floor plan needs at least one pixel";
  }
  // Each side is at most the limit's bytes, so the product below cannot overflow.
  const uint64_t nLimit = PLAN_MAX_MEGABYTES * MEGABYTE;
  if (nWidth > nLimit / BYTES_PER_PIXEL || nHeight > nLimit / BYTES_PER_PIXEL ||
      nWidth * nHeight > nLimit / BYTES_PER_PIXEL) {
    const double dMegabytes = static_cast<double>(nWidth) * static_cast<double>(nHeight) * BYTES_PER_PIXEL / MEGABYTE;
    return "it is " + size + ", which would take " + std::to_string(static_cast<uint64_t>(dMegabytes + 0.5)) +
           " MB in memory; a floor plan may take at most " + std::to_string(PLAN_MAX_MEGABYTES) +
           " MB (for example 23000 x 23000 pixels): choose a lower resolution or a smaller part of the plan";
  }
  return "";
}
