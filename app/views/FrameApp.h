#pragma once
// What the main window asks of the application: the commands it routes on
// after the views, the document and itself, and the pieces the application
// owns (help book, updater, online pane). The application implements it and
// hands it to CMainFrame; a null pointer makes these commands do nothing.
#include <cerrno>
#include <string>
#include <string_view>

#include <QString>

class COvPingDoc;
class QWidget;

// What a results file holds: the statistics of every host, or those and
// every event each host's ring holds; as csv or as json lines.
enum class ResultFile { Csv, Json, CsvEverything, JsonEverything };

class IFrameApp {
public:
    virtual ~IFrameApp() = default;

    // Help commands (ViewIds.h): ID_HELP_INDEX and ID_HELP_FINDER (contents),
    // ID_HELP and ID_CONTEXT_HELP (the page of a context). `context` names the
    // page of the active view or dialog, or is empty for the contents.
    virtual void OnHelpCommand(unsigned int command, const QString& context) = 0;
    // ID_HOME_PAGE and ID_LOGO (home page), ID_SUPPORT_FORUM (support forum).
    virtual void OnWebCommand(unsigned int command) = 0;
    // Update check: asked by the user (ID_CHECK_UPDATE, mode 0) or automatic
    // (timer ID_UPDATE_TIMER, mode 1; only when the online features are on).
    virtual void OnUpdateCheck(QWidget* owner, bool automatic) = 0;
    // ID_APP_ABOUT: the About box.
    virtual void OnAbout(QWidget* owner) = 0;
    // Whether the online features are on ("Tapper.ini" holds a value).
    virtual bool OnlineFeaturesOn() const = 0;
    // The content of the "Online Resource" pane, made the first time the pane
    // is shown; the pane owns what it returns.
    virtual QWidget* CreateOnlineResourceView(QWidget* parent) = 0;
    // The user's language code ("en_us", "zh_cn", ...), for the logo banner.
    virtual QString Language() const = 0;
    // Sets the main window's caption: the title alone for an empty name,
    // else "name - title".
    virtual void SetMainTitle(std::u16string_view name) = 0;
    // The translated application title, the caption of the window's message boxes.
    virtual QString ApplicationTitle() const = 0;
    // Writes the results of doc's run to path (UTF-8) as kind asks, an earlier
    // file there replaced only once the new one is complete; 0, or the errno
    // of the failure. Without a writer nothing is written (ENOSYS).
    virtual int WriteResults(const COvPingDoc& /*doc*/, ResultFile /*kind*/, const std::string& /*path*/) {
        return ENOSYS;
    }
};
