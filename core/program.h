// The two programs share one core; where they behave differently the core is told
// which of them it serves.
#pragma once

namespace ned {

enum class Program { viewer, extractor };

}  // namespace ned
