#include "DisplayStates.h"

#include "Timing.h"
#include "VideoFormats.h"

#include <cstddef>
#include <utility>

namespace {

// A state shorter than this is not worth a display set of its own.
constexpr std::uint32_t ShortestState = 5;

// Two pictures starting (or one ending and the other starting) less than
// this many frames apart are treated as simultaneous.
constexpr std::uint32_t NearFrames = 2;

bool IsUsable(const SDisplayEvent& event)
{
    const auto start = static_cast<std::int32_t>(event.start);
    const auto end = static_cast<std::int32_t>(event.end);
    if (start < 0 || end < 0)
        return false;
    if (end > 0 && start > end)
        return false;
    return !event.image.isNull() && !event.rect.IsEmpty();
}

// The merge of the two lanes. Each lane's cursor (curIndex, curTime) is its
// current event and the time from which that event is still to be shown.
class CStateWalk {
public:
    CStateWalk(SGroupContext& group, std::vector<SDisplayState>& states)
        : m_lanes(group.lanes), m_rate(NominalRateOfCode(group.frameRateCode)), m_states(states)
    {
        for (SWindowLane& lane : m_lanes) {
            lane.curIndex = 0;
            lane.curTime = lane.events.empty() ? 0 : lane.events.front().start;
        }
    }

    // Every pass advances exactly one lane by one event and no step ever
    // moves a lane back, so the walk ends after as many passes as the group
    // has events, whatever the times are.
    void Run()
    {
        while (!Exhausted(0) || !Exhausted(1)) {
            if (Exhausted(0) || Exhausted(1)) {
                const int lane = Exhausted(0) ? 1 : 0;
                AddIfLong(Over(lane, CurrentEnd(lane), Only(lane)));
                Advance(lane);
            } else {
                Step();
            }
        }
    }

private:
    // Both lanes have an event; a is the one whose cursor comes first (lane
    // 0 on a tie), b the other.
    void Step()
    {
        const int a = m_lanes[1].curTime < m_lanes[0].curTime ? 1 : 0;
        const int b = 1 - a;
        SWindowLane& laneA = m_lanes[a];
        SWindowLane& laneB = m_lanes[b];
        const std::uint32_t endA = CurrentEnd(a);
        const std::uint32_t endB = CurrentEnd(b);

        if (endA <= laneB.curTime) {
            AddIfLong(Over(a, endA, Only(a)));
            Advance(a);
            return;
        }
        if (Frames(endA - laneB.curTime) < NearFrames) {
            // A barely reaches into B: cut it where B begins.
            AddIfLong(Over(a, laneB.curTime, Only(a)));
            Advance(a);
            return;
        }
        // B starting this close after A is shown together with A from A's
        // start rather than leaving a sliver of A alone.
        const bool nearStart = Frames(laneB.curTime - laneA.curTime) < NearFrames;
        if (endB < endA) {
            // B lies within A: A alone up to B, both during B; A goes on
            // after B.
            if (nearStart)
                laneB.curTime = laneA.curTime;
            else
                Add(Over(a, laneB.curTime, Only(a)));
            laneA.curTime = laneB.curTime;
            AddIfLong(Over(b, endB, Both()));
            laneA.curTime = endB;
            Advance(b);
            return;
        }
        // A ends first, or both together: A alone up to B, both up to A's
        // end; B goes on after A.
        if (nearStart) {
            AddIfLong(Over(a, endA, Both()));
        } else {
            Add(Over(a, laneB.curTime, Only(a)));
            AddIfLong(Over(b, endA, Both()));
        }
        laneB.curTime = endA;
        Advance(a);
    }

    bool Exhausted(int lane) const
    {
        const SWindowLane& l = m_lanes[lane];
        return l.curIndex < 0 || static_cast<std::size_t>(l.curIndex) >= l.events.size();
    }

    std::uint32_t CurrentEnd(int lane) const
    {
        const SWindowLane& l = m_lanes[lane];
        return l.events[static_cast<std::size_t>(l.curIndex)].end;
    }

    // An exhausted lane keeps its last cursor time.
    void Advance(int lane)
    {
        SWindowLane& l = m_lanes[lane];
        ++l.curIndex;
        if (!Exhausted(lane))
            l.curTime = l.events[static_cast<std::size_t>(l.curIndex)].start;
    }

    std::array<std::int32_t, 2> Only(int lane) const
    {
        std::array<std::int32_t, 2> index{-1, -1};
        index[static_cast<std::size_t>(lane)] = m_lanes[lane].curIndex;
        return index;
    }

    std::array<std::int32_t, 2> Both() const { return {m_lanes[0].curIndex, m_lanes[1].curIndex}; }

    std::uint32_t Frames(std::uint32_t ms) const { return MsToFrame(ms, m_rate); }

    // The lane's cursor time to `until`, as frames in time order.
    SDisplayState Over(int lane, std::uint32_t until, std::array<std::int32_t, 2> index) const
    {
        SDisplayState state{index, Frames(m_lanes[lane].curTime), Frames(until)};
        if (state.startFrame >= state.endFrame)
            std::swap(state.startFrame, state.endFrame);
        return state;
    }

    void Add(const SDisplayState& state) { m_states.push_back(state); }

    void AddIfLong(const SDisplayState& state)
    {
        if (std::uint64_t{state.endFrame} >= std::uint64_t{state.startFrame} + ShortestState)
            Add(state);
    }

    std::array<SWindowLane, 2>& m_lanes;
    double m_rate;
    std::vector<SDisplayState>& m_states;
};

// Numbers the objects in the order they are first shown.
void NumberObjects(SGroupContext& group, const std::vector<SDisplayState>& states)
{
    std::int32_t nextId = 0;
    for (const SDisplayState& state : states) {
        for (std::size_t lane = 0; lane < group.lanes.size(); ++lane) {
            const std::int32_t index = state.eventIndex[lane];
            if (index < 0)
                continue;
            SDisplayEvent& event = group.lanes[lane].events[static_cast<std::size_t>(index)];
            if (event.objectId == -1)
                event.objectId = nextId++;
        }
    }
}

}  // namespace

bool MakeDisplayStates(SGroupContext& group, std::vector<SDisplayState>& states)
{
    states.clear();
    std::size_t eventCount = 0;
    for (const SWindowLane& lane : group.lanes) {
        for (const SDisplayEvent& event : lane.events) {
            if (!IsUsable(event))
                return false;
        }
        eventCount += lane.events.size();
    }
    if (eventCount == 0)
        return false;

    CStateWalk(group, states).Run();
    if (states.empty())
        return false;
    NumberObjects(group, states);
    return true;
}
