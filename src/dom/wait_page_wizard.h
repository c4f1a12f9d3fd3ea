// What the wait page's button receivers need of the wizard that shows the
// page. The wizard controller implements it; the receivers reach it through
// TheWaitPageWizard().
#pragma once

namespace zun {

class WaitPageWizard {
public:
    // Whether the running wizard is in one of the modes that show the wait
    // page.
    virtual bool ShowsWaitPage() const = 0;
    // Hands a click on the wait page's Retry button (`retry`) or any other of
    // its buttons (Cancel) to the running wizard window.
    virtual void AnswerWaitPage(bool retry) = 0;

protected:
    ~WaitPageWizard() = default;
};

WaitPageWizard& TheWaitPageWizard();

}  // namespace zun
