#include "driver/pass_schedule.h"

#include <algorithm>

namespace tavrick {

void PassSchedule::pass_done(Instant started) {
  m_now = false;
  m_regular = started + m_timing.period;
  // What came due after the start was not seen by this pass: it stays due.
  if (m_settled && *m_settled <= started) {
    m_settled.reset();
  }
  if (m_follow_up && *m_follow_up <= started) {
    m_follow_up.reset();
  }
}

void PassSchedule::device_changed(Instant now) {
  if (!m_settled) {
    m_settled = now + m_timing.settle;
  }
  m_follow_up = std::max(m_follow_up.value_or(now), now + m_timing.follow_up);
}

void PassSchedule::pass_now(Instant now) {
  m_now = true;
  device_changed(now);
}

std::optional<Instant> PassSchedule::next_pass() const {
  if (m_now) {
    return std::nullopt;
  }
  Instant next = m_regular;
  for (const auto& extra : {m_settled, m_follow_up}) {
    if (extra) {
      next = std::min(next, *extra);
    }
  }
  return next;
}

bool PassSchedule::due(Instant now) const {
  const auto next = next_pass();
  return !next || now >= *next;
}

}  // namespace tavrick
