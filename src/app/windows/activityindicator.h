#pragma once

#include <QProgressBar>

namespace kd {

// A busy indicator that is visible only while it turns.
class ActivityIndicator : public QProgressBar {
    Q_OBJECT
public:
    explicit ActivityIndicator(QWidget* parent = nullptr) : QProgressBar(parent) {
        setRange(0, 0);
        setTextVisible(false);
        setMaximumWidth(120);
        setVisible(false);
    }
    void startAnimation(QObject* /*sender*/ = nullptr) {
        ++m_depth;
        setVisible(true);
    }
    void stopAnimation(QObject* /*sender*/ = nullptr) {
        if (m_depth > 0 && --m_depth == 0)
            setVisible(false);
    }
    bool isAnimating() const { return m_depth > 0; }

private:
    int m_depth = 0;
};

} // namespace kd
