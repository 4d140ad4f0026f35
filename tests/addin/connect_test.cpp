// The connection entry points and the development-environment cycle: a connection without the host
// application, the ribbon definition for other ribbons, the forms reached through the commands, and
// the "DisplayOnConnect" setting across a designer disconnect and reconnect.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "addin/harness.h"
#include "addin/registration.h"
#include "host/error.h"

namespace quorvane::testing {
namespace {

using addin::Connect;

class FakeControl : public addin::CommandBarControl {
 public:
  void SetCaption(const std::string& caption) override { this->caption = caption; }
  void Delete() override { deleted = true; }
  std::string caption;
  bool deleted = false;
};

class FakeBar : public addin::CommandBar {
 public:
  std::shared_ptr<addin::CommandBarControl> AddControl(int type) override {
    EXPECT_EQ(type, addin::kControlButton);
    controls.push_back(std::make_shared<FakeControl>());
    return controls.back();
  }
  std::vector<std::shared_ptr<FakeControl>> controls;
};

class FakeEnvironment : public addin::DevelopmentEnvironment {
 public:
  std::string Name() override { return "Designer"; }
  addin::CommandBar* CommandBars(const std::string& name) override {
    return has_bar && name == "Add-Ins" ? &bar : nullptr;
  }
  void ConnectClickEvents(addin::CommandBarControl&, std::function<void()> handler) override {
    click = std::move(handler);
  }
  bool has_bar = true;
  FakeBar bar;
  std::function<void()> click;
};

TEST(Connection, AnObjectThatIsNotTheApplicationWarnsOnceAndLaterCommandsFailCleanly) {
  Harness h;
  addin::HostObject not_an_application;
  h.connect.IDTExtensibility2_OnConnection(&not_an_application, addin::kStartup);
  ASSERT_EQ(h.ui.messages().size(), 1u);
  EXPECT_EQ(h.ui.messages()[0].text, "Unable to initialize Application Object!");
  EXPECT_EQ(h.ui.messages()[0].icon, host::MessageIcon::kExclamation);
  EXPECT_EQ(h.connect.application(), nullptr);

  EXPECT_FALSE(h.connect.IRibbonExtensibility_GetCustomUI("Microsoft.Excel.Workbook").empty());
  h.Call("OnRibbonLoad", {static_cast<ribbon::RibbonUI*>(&h.ribbon)});
  EXPECT_EQ(h.library.state.application, nullptr);
  h.Press("btnRange1");  // range entry skips what fails
  EXPECT_EQ(h.Text("EditBox1"), "");
  h.library.state.range1_text = h.library.state.range2_text = "x";
  ribbon::DispatchResult r = h.CallWith("onButtonPressed", "btnCompare");
  EXPECT_EQ(r.status, ribbon::DispatchStatus::kFailed);
  EXPECT_EQ(r.description, host::kObjectNotSet);
  EXPECT_EQ(h.ui.messages().size(), 1u);
}

TEST(Connection, RibbonDefinitionForOtherRibbonsIsEmptyButStillSetsTheDefaults) {
  Harness h;
  h.connect.IDTExtensibility2_OnConnection(&h.application, addin::kStartup);
  EXPECT_EQ(h.connect.IRibbonExtensibility_GetCustomUI("Microsoft.Word.Document"), "");
  EXPECT_EQ(h.library.state.options.round_numbers, state::kTrue);
  EXPECT_EQ(h.library.state.options.ignore_sign, state::kFalse);
  EXPECT_TRUE(h.host.messages().empty());
  EXPECT_TRUE(h.ui.messages().empty());
  // The host's other notifications change nothing.
  h.connect.IDTExtensibility2_OnAddInsUpdate();
  h.connect.IDTExtensibility2_OnBeginShutdown();
  h.connect.IDTExtensibility2_OnDisconnection(1);
  EXPECT_EQ(h.library.state.options.round_numbers, state::kTrue);
}

TEST(Connection, RegistrationData) {
  EXPECT_STREQ(addin::registration::kProgId, "Quorvane.Connect");
  EXPECT_STREQ(addin::registration::kFriendlyName, "Quorvan");
  EXPECT_STREQ(addin::registration::kDescription, "Add-In Project Template");
  EXPECT_EQ(addin::registration::kLoadBehavior, 3);
}

TEST(Forms, VntShowsTheResultsFormAndItsStopButtonSetsTheRequest) {
  Harness h;
  h.StartUp();
  h.library.state.counters.match1 = 7;
  ASSERT_EQ(h.CallWith("VNT", "btnVNT").status, ribbon::DispatchStatus::kOk);
  EXPECT_EQ(h.ui.events(), std::vector<std::string>{"Show frmVNT"});
  EXPECT_EQ(h.library.state.counters.match1, 0);  // loading the form reset the counts
  EXPECT_EQ(h.library.results_form.CaptionOf("lblMatch1"), "0");
  h.library.results_form.Click("Command1");
  h.library.results_form.Click("Command1");
  EXPECT_EQ(h.library.state.stop_requested, state::kTrue);
  EXPECT_TRUE(h.library.results_form.visible());
  // A second touch does not reset again.
  h.library.state.counters.match1 = 7;
  h.CallWith("VNT", "x");
  EXPECT_EQ(h.library.state.counters.match1, 7);
}

TEST(Forms, AboutLinkOpensThroughTheHostOrReportsTheAddress) {
  Harness h;
  h.host.AddWorkbook("Book1.xlsx").AddSheet("Sheet1");
  h.StartUp();
  h.Press("btnAbout");
  EXPECT_TRUE(h.library.about_form.loaded());
  EXPECT_EQ(h.library.about_form.caption(), "About");
  EXPECT_EQ(h.library.about_form.CaptionOf("Label3"), "Vantorel");

  h.host.SetHyperlinkFailure("Cannot download the information you requested.");
  h.library.about_form.Click("Label4");
  EXPECT_EQ(h.host.messages(), std::vector<std::string>{std::string("Cannot open ") +
                                                        forms::AboutForm::kMakerAddress});
  EXPECT_TRUE(h.library.about_form.loaded());

  h.host.SetHyperlinkFailure("");
  h.library.about_form.Click("Label4");
  EXPECT_EQ(h.host.followed_links().back(), forms::AboutForm::kMakerAddress);
  EXPECT_FALSE(h.library.about_form.loaded());
  EXPECT_EQ(h.ui.events().back(), "Unload frmAbout");
  h.Press("btnAbout");  // built afresh
  EXPECT_TRUE(h.library.about_form.loaded());
}

TEST(Forms, AFormThatFailsToShowFailsTheCommandAndTheNextOneWorks) {
  Harness h;
  h.StartUp();
  h.ui.FailOn("Show", "frmAbout", "Out of memory");
  ribbon::DispatchResult r = h.CallWith("onButtonPressed", "btnAbout");
  EXPECT_EQ(r.status, ribbon::DispatchStatus::kFailed);
  EXPECT_EQ(r.description, "Out of memory");
  h.ui.FailOn("", "", "");
  h.Press("btnAbout");
  EXPECT_EQ(h.ui.events().back(), "Show frmAbout");
}

class Designer : public ::testing::Test {
 protected:
  Harness h_;
  FakeEnvironment environment_;
  addin::EnvironmentObject object_{environment_};
};

TEST_F(Designer, ConnectionAddsTheMenuButtonWhoseClickShowsTheForm) {
  h_.connect.AddinInstance_OnConnection(&object_, addin::kStartup);
  ASSERT_EQ(environment_.bar.controls.size(), 1u);
  EXPECT_EQ(environment_.bar.controls[0]->caption, "My AddIn");
  ASSERT_TRUE(environment_.click);
  environment_.click();
  EXPECT_TRUE(h_.connect.form_displayed_);
  EXPECT_EQ(h_.ui.events(), std::vector<std::string>{"Show frmAddIn"});
  EXPECT_TRUE(h_.ui.messages().empty());
}

TEST_F(Designer, SettingCarriesTheFormAcrossDisconnectAndReconnect) {
  h_.connect.AddinInstance_OnConnection(&object_, addin::kAfterStartup);
  EXPECT_EQ(h_.ui.events(), std::vector<std::string>{});  // nothing stored yet: "0"
  h_.connect.Show();
  h_.connect.AddinInstance_OnDisconnection(0);
  EXPECT_TRUE(environment_.bar.controls[0]->deleted);
  EXPECT_FALSE(h_.connect.form_displayed_);
  EXPECT_EQ(h_.settings.GetSetting("Quorvane", "Settings", "DisplayOnConnect", "?"), "1");
  EXPECT_EQ(h_.ui.events().back(), "Unload frmAddIn");

  // A new connection object after start-up shows the form again; one at start-up does not.
  Connect again(h_.library);
  h_.ui.Clear();
  again.AddinInstance_OnConnection(&object_, addin::kStartup);
  EXPECT_TRUE(h_.ui.events().empty());
  again.AddinInstance_OnConnection(&object_, addin::kAfterStartup);
  EXPECT_EQ(h_.ui.events(), std::vector<std::string>{"Show frmAddIn"});
  again.Hide();
  again.AddinInstance_OnDisconnection(0);
  EXPECT_EQ(h_.settings.GetSetting("Quorvane", "Settings", "DisplayOnConnect", "?"), "0");
}

TEST_F(Designer, ExternalConnectionShowsTheFormOnly) {
  h_.connect.AddinInstance_OnConnection(&object_, addin::kExternal);
  EXPECT_TRUE(environment_.bar.controls.empty());  // external: the form only
  EXPECT_TRUE(h_.connect.form_displayed_);
  h_.connect.Hide();
  EXPECT_FALSE(h_.connect.form_displayed_);
  EXPECT_EQ(h_.ui.events(), (std::vector<std::string>{"Show frmAddIn", "Hide frmAddIn"}));
}

TEST_F(Designer, NoAddInsBarOrNoEnvironment) {
  environment_.has_bar = false;
  h_.connect.development_environment_ = &environment_;
  EXPECT_EQ(h_.connect.AddToAddInCommandBar("My AddIn"), nullptr);
  h_.connect.AddinInstance_OnConnection(&object_, addin::kStartup);
  EXPECT_EQ(h_.ui.messages().size(), 1u);  // the event service has no control to listen to

  addin::ApplicationObject not_an_environment(h_.host);
  h_.connect.AddinInstance_OnConnection(&not_an_environment, addin::kStartup);
  ASSERT_EQ(h_.ui.messages().size(), 2u);
  EXPECT_EQ(h_.ui.messages()[1].text, host::kTypeMismatch);
}

}  // namespace
}  // namespace quorvane::testing
