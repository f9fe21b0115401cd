#include "Gather/DifferenceMap.h"

namespace Orvid::Compare {

DifferenceMap::DifferenceMap(const Extent& extent)
    : reference(extent, CELL_BUDGET, MAX_CELLS_ALONG)
    , classes{{DensityGrid(extent, CELL_BUDGET, MAX_CELLS_ALONG),
               DensityGrid(extent, CELL_BUDGET, MAX_CELLS_ALONG),
               DensityGrid(extent, CELL_BUDGET, MAX_CELLS_ALONG),
               DensityGrid(extent, CELL_BUDGET, MAX_CELLS_ALONG),
               DensityGrid(extent, CELL_BUDGET, MAX_CELLS_ALONG)}} {}

} // namespace Orvid::Compare
