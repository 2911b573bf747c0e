#pragma once

#include "widgets/colorvalue.h"

#include <QFont>
#include <QMessageBox>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <array>
#include <optional>

class QLabel;

namespace farlight {

class IPField;
struct VelmoIPAddressLayout;

/// @brief Entry control for one dotted IPv4 address: four number fields ("txtIP0" to "txtIP3",
/// accessible names "IP field 1" to "IP field 4") separated by three dots ("imgDot0" to "imgDot2").
///
/// Keys are filtered to digits, "." and the arrow keys move between the fields, each field is
/// checked against 0..255 when it loses the focus, and valid edits raise Change. The control
/// knows nothing of networks: it only edits text.
class VelmoIPAddress : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString ipAddress READ ipAddress WRITE setIpAddress NOTIFY Change)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(bool UseDisabledBackColor READ UseDisabledBackColor WRITE setUseDisabledBackColor)
    Q_PROPERTY(quint32 BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(quint32 TextColor READ TextColor WRITE setTextColor)

public:
    static constexpr int FieldCount = 4;
    static constexpr int MaxFieldValue = 255;
    /// @brief The value written with setIPValue to empty a field.
    static constexpr int EmptyFieldValue = -1;

    /// @brief Defaults of the saved properties; a property equal to its default is not saved.
    static inline const QString DefaultIPAddress = QStringLiteral("0.0.0.0");
    static constexpr bool DefaultEnabled = true;
    static constexpr bool DefaultUseDisabledBackColor = true;
    static constexpr quint32 DefaultBackColor = ColorValue::WindowBackground;
    static constexpr quint32 DefaultTextColor = ColorValue::WindowText;

    /// @brief The control's settings as its host dialog saves them: only the values that differ
    /// from the defaults are present. Font's default is the host's font.
    ///
    /// setProperties restores them in this order, taking the default for each absent value:
    /// Font (assigned), IPAddress (through setIpAddress), UseDisabledBackColor (stored only,
    /// the colours are not re-applied for it), then Enabled, BackColor and TextColor through
    /// their setters.
    struct Properties
    {
        std::optional<QFont> Font;
        std::optional<QString> IPAddress;
        std::optional<bool> UseDisabledBackColor;
        std::optional<bool> Enabled;
        std::optional<quint32> BackColor;
        std::optional<quint32> TextColor;

        /// @brief The present values under their saved names: "Font", "IPAddress",
        /// "UseDisabledBackColor", "Enabled", "BackColor", "TextColor".
        QVariantMap toVariantMap() const;
        /// @brief Reads the values saved under those names; other keys are ignored.
        static Properties fromVariantMap(const QVariantMap &map);

        friend bool operator==(const Properties &, const Properties &) = default;
    };

    /// @brief A newly placed control: empty fields, default colours, the host's font.
    explicit VelmoIPAddress(QWidget *parent = nullptr);
    ~VelmoIPAddress() override;

    /// @brief The four field texts joined with ".", exactly as they stand: empty fields give
    /// empty parts, so four empty fields read "...".
    QString ipAddress() const;
    /// @brief Shows an address: each dot-separated part's leading number clamped to 0..255,
    /// missing parts 0, parts after the fourth ignored. Never moves the focus; raises Change once.
    void setIpAddress(const QString &address);

    /// @brief The numeric value of field @p index (0..3): its leading digits, an empty field 0;
    /// 0 for any other index.
    int IPValue(int index) const;
    /// @brief Empties field @p index when @p value is EmptyFieldValue; any other index or value
    /// changes nothing. Raises Change with the current address in every case.
    void setIPValue(int index, int value);

    /// @brief The font of the control and its fields; assign it with setFont, which lays the
    /// control out again.
    QFont Font() const { return font(); }

    /// @brief Whether the control takes input; set it with setEnabled. A disabled control shows
    /// the button-face colour as its background when UseDisabledBackColor is set.
    bool Enabled() const { return isEnabled(); }

    bool UseDisabledBackColor() const { return m_useDisabledBackColor; }
    void setUseDisabledBackColor(bool use);

    /// @brief Background colour value (see ColorFromValue) shown while the control is enabled.
    quint32 BackColor() const { return m_backColorValue; }
    void setBackColor(quint32 value);

    /// @brief Text colour value (see ColorFromValue) of the control and its fields.
    quint32 TextColor() const { return m_textColorValue; }
    void setTextColor(quint32 value);

    /// @brief True unless some field's value lies outside 0..255; empty fields count as 0.
    bool IsValidIP() const;

    /// @brief Gives field @p index (0..3) the keyboard focus; other indices are ignored.
    void SetIPFocus(int index);

    /// @brief Width of each field in pixels, from the last layout; 0 before the first.
    float FieldWidth() const { return m_fieldWidth; }

    /// @brief The settings that differ from their defaults.
    Properties properties() const;
    /// @brief Restores saved settings in their fixed order (see Properties).
    void setProperties(const Properties &saved);

    /// @brief Places the control at a rectangle given in twips, converted with its screen's
    /// logical DPI; the control then widens itself to its minimum size where needed.
    void setGeometryTwips(const QRect &twips);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    /// @brief The address text after a valid edit, and after every setIpAddress or setIPValue.
    void Change(const QString &address);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    /// @brief Sounds the refusal of a key.
    virtual void beep();
    /// @brief Shows a message box with an OK button and waits until it is closed.
    virtual void showMessage(QMessageBox::Icon icon, const QString &title, const QString &text);

private:
    int fieldIndex(const QObject *object) const;
    bool handleKey(int index, QKeyEvent *event);
    void fieldTextChanged(int index);
    void fieldLostFocus(int index, Qt::FocusReason reason);
    void focusField(int index);
    VelmoIPAddressLayout layoutFor(QSize size) const;
    void relayout();
    void applyColours();
    QFont hostFont() const;

    std::array<IPField *, FieldCount> m_fields{};
    std::array<QLabel *, FieldCount - 1> m_dots{};
    float m_fieldWidth = 0;
    bool m_settingAddress = false;
    bool m_reportingRange = false;
    bool m_useDisabledBackColor = DefaultUseDisabledBackColor;
    quint32 m_backColorValue = DefaultBackColor;
    quint32 m_textColorValue = DefaultTextColor;
    QSize m_minimumSize;
};

} // namespace farlight
