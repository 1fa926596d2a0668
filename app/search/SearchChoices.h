#pragma once

// What the user chose for the last search, kept in the program's settings file under the
// search's own group: the entries chosen in the port, address and rate boxes by their index,
// and the two scan options.
struct SearchChoices {
    // Missing keys give the first entries and both options off: the thorough scan of every
    // address suits noisy lines.
    static SearchChoices read();
    void write() const;

    int portIndex = 0;
    int beginIndex = 0;
    int endIndex = 0;
    int speedIndex = 0;
    bool quick = false;
    bool stopAtFirst = false;
};
