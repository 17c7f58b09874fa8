// Placeholder until the RIFF chunk walk lands: reads nothing.
#include "tags/tag_readers.h"

namespace qv {

int64_t ReadRiffTags(int, uint32_t, TrackTags*, const char*) { return 0; }

}  // namespace qv
