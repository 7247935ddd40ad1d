#include "platform/desktop/soundplayer.h"

#include <QFileInfo>
#include <canberra.h>

namespace kd {

SoundPlayer::SoundPlayer(QString soundFolder) : m_folder(std::move(soundFolder)) {}

SoundPlayer::~SoundPlayer() {
    if (m_context)
        ca_context_destroy(m_context);
}

QString SoundPlayer::fileFor(const QString& name) const {
    if (name.isEmpty() || name.contains(u'/') || name.startsWith(u'.'))
        return {};
    for (const QString& suffix : {QStringLiteral(".wav"), QStringLiteral(".oga")}) {
        const QString path = m_folder + u'/' + name + suffix;
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

bool SoundPlayer::play(const QString& name) {
    const QString file = fileFor(name);
    if (file.isEmpty())
        return false;
    if (!m_context) {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            return false;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Kaleidrome Launcher",
                                CA_PROP_APPLICATION_ID, "kaleidrome-launcher", nullptr);
    }
    const QByteArray path = QFile::encodeName(file);
    const QByteArray description = name.toUtf8();
    return ca_context_play(m_context, 0, CA_PROP_MEDIA_FILENAME, path.constData(),
                           CA_PROP_EVENT_DESCRIPTION, description.constData(),
                           nullptr) == CA_SUCCESS;
}

} // namespace kd
