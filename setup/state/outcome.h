// How an operation of the installation engine ended, where it can end more than two ways: done,
// declined by the player (nothing changed, and the player was told why where it was not their own
// answer), or failed. Each way says what an unattended run ends with (exitCodeOf).
#pragma once

enum class Outcome {
    Done,
    DoneAtRestart,  // done; some files go only when Windows restarts
    Declined,       // the player said no (Cancel to the files in use, No to the removal)
    Refused,        // a folder another user made was refused, with a message of its own
    NoDisc,         // a further disc is in no drive
    NoSpace,        // not enough free space, with a message of its own
    Cancelled,      // the abort button
    Failed,
};

inline bool succeeded(Outcome outcome) { return outcome == Outcome::Done || outcome == Outcome::DoneAtRestart; }

// Nothing was changed, and no failure message follows.
inline bool declined(Outcome outcome) { return outcome == Outcome::Declined || outcome == Outcome::Refused; }
