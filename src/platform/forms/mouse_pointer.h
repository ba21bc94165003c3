#pragma once

namespace veltrane {

// The screen's mouse pointer as the pages use it: remember it, show the hourglass while something
// slow runs, put the remembered pointer back. Values are those of the platform the pages were
// written for (0 default, 11 hourglass, ...). Setting a value other than 0 overrides the cursor of
// the whole application; 0 removes that override. UI thread only.
class MousePointer
{
public:
    enum Shape : int {
        Default = 0,
        Arrow = 1,
        Cross = 2,
        IBeam = 3,
        SizeNESW = 6,
        SizeNS = 7,
        SizeNWSE = 8,
        SizeWE = 9,
        UpArrow = 10,
        Hourglass = 11,
        NoDrop = 12,
        ArrowHourglass = 13,
        ArrowQuestion = 14,
        SizeAll = 15,
    };

    // The value last set (Default at start).
    static int value();
    static void setValue(int shape);
};

// Shows the hourglass for its lifetime and puts back whatever pointer was shown before, also when
// the work in between throws.
class HourglassPointer
{
public:
    HourglassPointer();
    ~HourglassPointer();
    HourglassPointer(const HourglassPointer &) = delete;
    HourglassPointer &operator=(const HourglassPointer &) = delete;

private:
    int m_remembered;
};

} // namespace veltrane
