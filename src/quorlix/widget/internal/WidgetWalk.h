#pragma once
// The state of one walk over a widget tree (layout, input reach, drawing): depth and a budget
// of visits, so that neither a cycle nor a widget shared along many paths can run away. A stop
// is logged once per window.

#include "quorlix/math/Vector3f.h"
#include "quorlix/widget/Widget.h"

#include <cstdint>

namespace Quorlix {

struct WidgetWalk {
    /// Visits of one walk; shared subtrees count once per path that reaches them.
    static constexpr int64_t k_MaxVisits = int64_t{1} << 20;

    Vector3f m_Resolution{0, 0, 0}; // the window's virtual resolution
    int m_Depth = 0;
    int64_t m_Visits = 0;
    bool* m_Reported = nullptr; // the window's flag; null: log every stop
    const char* m_Owner = "";   // the window's name for the log line

    /// Enters one level below the current widget; false (logging the first stop) past the
    /// depth limit or the visit budget.
    bool Enter();
    void Leave() noexcept { --m_Depth; }
};

} // namespace Quorlix
