// CNetworkDlg: the "Network..." dialog. The link on or off, the cockpit's
// domain number, peers for networks without multicast (one field, the names
// apart by commas or blanks) and the key folder. OK checks what was typed and
// keeps the dialog open behind a box that names what is wrong; after kIdOk
// the caller saves Settings() and starts the link with them.
#pragma once

#include "net/NetworkSettings.h"
#include "ui/DialogView.h"

#include <cstdint>
#include <functional>
#include <string>

class CNetworkDlg : public DialogPresenter {
public:
    static constexpr std::int32_t kSwitch = 1401; // combo: "Off", "On"
    static constexpr std::int32_t kDomain = 1402;
    static constexpr std::int32_t kPeers = 1403;
    static constexpr std::int32_t kKeys = 1404;
    static constexpr const char* kCaption = "Network";

    using BoxShower = std::function<void(DialogView& view, const char* text, const char* caption)>;

    // `settings`: what the dialog starts from (the interface, which it does
    // not show, is kept). `showBox`: how a box is shown (the window echoes
    // every box); null: the view's own.
    explicit CNetworkDlg(const NetworkSettings& settings, BoxShower showBox = nullptr);

    static const DialogTemplate& Template() { return NetworkDialogTemplate(); }

    // What OK accepted (before that, what the dialog started from).
    const NetworkSettings& Settings() const { return m_settings; }

    // The fields as settings: false with a sentence naming what is wrong.
    static bool ReadFields(const std::string& onOff, const std::string& domain, const std::string& peers,
        const std::string& keys, NetworkSettings& settings, std::string& error);
    // The peers as the field shows them: "a, b".
    static std::string PeersText(const NetworkSettings& settings);

    bool OnInitDialog() override;
    void OnOK() override;

private:
    std::string Field(std::int32_t id) const;

    NetworkSettings m_settings;
    BoxShower m_showBox;
};
