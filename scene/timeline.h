// The show's timeline: the scene time at which each of its sections begins, in one
// table. The stroke pass, the main pass and the frame composition start their
// sections at these times; the frame report groups its frames by them.
#pragma once
#include <limits>

// The sections of the show, in the order they begin.
enum class ShowSection { title, stillLife, figures, worms, facesAndHands, tendrils, spineWorm, ring, endText, fade };

struct TimelineRow {
    ShowSection section;
    const char* name;   // as the frame report prints it
    double fromSeconds; // scene time (s) at which it begins; it lasts until the next row's
};

constexpr TimelineRow kTimeline[] = {
    // section                     name                    from (s)    what begins
    {ShowSection::title,          "title",                    0.0},  // the title, drawn in 30 slices
    {ShowSection::stillLife,      "still life",              33.0},  // the still life's first layer
    {ShowSection::figures,        "figures",                118.0},  // the tumbling figures behind the paper
    {ShowSection::worms,          "worms",                  154.0},  // the reveal window starts over; the ants walk
    {ShowSection::facesAndHands,  "faces and hands",        172.0},  // the two faces and the 60 hand bands
    {ShowSection::tendrils,       "tendrils and ants",      182.0},  // dashed tendrils with ants at their tips
    {ShowSection::spineWorm,      "spine worm and bird",    213.5},  // the spine worm and the last drawings
    {ShowSection::ring,           "ring",                   234.0},  // the stroke line is pulled into a ring
    {ShowSection::endText,        "end text",               254.6},  // only the end text is left to draw
    {ShowSection::fade,           "fade",                   267.5},  // the closing fade to black
};
constexpr int kTimelineRows = static_cast<int>(sizeof kTimeline / sizeof kTimeline[0]);

constexpr double sectionStart(ShowSection section) { return kTimeline[static_cast<int>(section)].fromSeconds; }

constexpr bool timelineInOrder()
{
    for (int i = 0; i < kTimelineRows; ++i) {
        if (static_cast<int>(kTimeline[i].section) != i)
            return false;
        if (i > 0 && kTimeline[i].fromSeconds <= kTimeline[i - 1].fromSeconds)
            return false;
    }
    return true;
}
static_assert(timelineInOrder(), "one row per section, in section order and rising times");

// A stretch of scene time (s), open at both ends, in which something is drawn.
struct SceneWindow {
    double from, until;
    constexpr bool holds(double t) const { return t > from && t < until; }
};
constexpr double kForever = std::numeric_limits<double>::infinity();
