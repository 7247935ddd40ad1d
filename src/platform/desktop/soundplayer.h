#pragma once

#include <QString>

struct ca_context;

namespace kd {

// Plays the bundle's named sounds through libcanberra. Playing never waits
// for the sound to end; without a sound card libcanberra refuses at once.
class SoundPlayer {
public:
    explicit SoundPlayer(QString soundFolder);
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // `<folder>/<name>.wav`, else `.oga`; empty when neither exists or the
    // name is not a plain file name.
    QString fileFor(const QString& name) const;
    // False when the sound is missing or could not be started.
    bool play(const QString& name);

private:
    QString m_folder;
    ca_context* m_context = nullptr;
};

} // namespace kd
