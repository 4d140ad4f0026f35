// Portable description of the add-in's small forms: a caption, a client area and a fixed list of
// controls with their layout, as data.
//
// A FormModel knows nothing about windows. Each front end draws it through its FormsUi (ui_port.h)
// and tells it about clicks through Click(). Measures are points from the top left of the client
// area. A form model is owned by the add-in's library and used on the host's user-interface thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::forms {

// A list shows lines of text, one above the other, that the user can only pick, not change.
enum class ControlKind { kLabel, kImage, kButton, kList };
enum class Alignment { kLeft, kCenter };

struct Font {
  std::string name;  // empty: the form's default font
  double size = 0;   // 0: the form's default size
  bool bold = false;
};

// A control of a form. Controls lie one above the other in the order of the form's list: a later
// control covers an earlier one where they overlap, and takes the clicks there.
//
// Every member has its default, so that a control is written with its leading members only.
struct FormControl {
  std::string name{};  // e.g. "lblCount1", "Command1"
  ControlKind kind = ControlKind::kLabel;
  std::string caption{};  // for an image: a description of the picture
  double left = 0, top = 0, width = 0, height = 0;
  Font font{};
  Alignment alignment = Alignment::kLeft;
  bool white_background = false;
  std::string tip{};      // tool tip, if any
  std::string picture{};  // for an image: the name of the picture the front end draws
  bool link = false;      // a label that opens a web page when clicked
  // A button that Enter (default) or Esc (cancel) presses while the form has the focus.
  bool default_button = false;
  bool cancel_button = false;
  std::vector<std::string> lines{};  // for a list: its lines, top to bottom
  double line_height = 0;            // for a list: the height of each line
};

class FormModel {
 public:
  FormModel(std::string name, std::string caption, double width, double height,
            std::vector<FormControl> controls);
  virtual ~FormModel() = default;
  FormModel(const FormModel&) = delete;
  FormModel& operator=(const FormModel&) = delete;

  const std::string& name() const { return name_; }        // e.g. "frmVNT"
  const std::string& caption() const { return caption_; }  // the window's title
  double width() const { return width_; }
  double height() const { return height_; }
  const std::vector<FormControl>& controls() const { return controls_; }
  // The control of that name, or nullptr.
  const FormControl* Find(std::string_view control_name) const;
  // The caption of the control of that name; empty when there is none.
  std::string CaptionOf(std::string_view control_name) const;
  bool visible() const { return visible_; }

  // A click on the control of that name, as the front end reports it. Unknown names do nothing.
  virtual void Click(std::string_view control_name) = 0;
  // A click on a line of the list of that name, counted from 0. Unknown names and lines do nothing.
  virtual void ClickLine(std::string_view control_name, std::size_t line);

 protected:
  // Changes a control's caption; returns the control, or nullptr when there is none.
  const FormControl* SetControlCaption(std::string_view control_name, std::string caption);
  void set_visible(bool visible) { visible_ = visible; }
  // Layout changes; the form tells its front end afterwards.
  void set_height(double height) { height_ = height; }
  // Puts the control last, or in the place of the control of its name.
  void PutControl(FormControl control);
  // Removes the control of that name; returns whether there was one.
  bool RemoveControl(std::string_view control_name);

 private:
  std::string name_;
  std::string caption_;
  double width_;
  double height_;
  std::vector<FormControl> controls_;
  bool visible_ = false;
};

}  // namespace quorvane::forms
