#pragma once
// The desktop's event sounds for a host that goes down or comes back,
// played by the sound theme (libcanberra); the program ships no sound files.
// Playing never waits for the sound to end.
#include <memory>

struct ca_context;

class CAlertSound {
public:
    CAlertSound();
    ~CAlertSound();
    CAlertSound(const CAlertSound&) = delete;
    CAlertSound& operator=(const CAlertSound&) = delete;

    // Plays the theme's sound for a lost or a regained connection; false when
    // no sound could be started (no sound system, no such sound).
    bool Play(bool down);
    // The theme's event names of the two sounds.
    static const char* EventId(bool down) noexcept;

private:
    struct Close {
        void operator()(ca_context* context) const noexcept;
    };
    std::unique_ptr<ca_context, Close> m_context;
};
