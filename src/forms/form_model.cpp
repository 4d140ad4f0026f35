#include "forms/form_model.h"

#include <utility>

namespace quorvane::forms {

FormModel::FormModel(std::string name, std::string caption, double width, double height,
                     std::vector<FormControl> controls)
    : name_(std::move(name)),
      caption_(std::move(caption)),
      width_(width),
      height_(height),
      controls_(std::move(controls)) {}

const FormControl* FormModel::Find(std::string_view control_name) const {
  for (const FormControl& control : controls_) {
    if (control.name == control_name) return &control;
  }
  return nullptr;
}

std::string FormModel::CaptionOf(std::string_view control_name) const {
  const FormControl* control = Find(control_name);
  return control ? control->caption : std::string();
}

void FormModel::ClickLine(std::string_view, std::size_t) {}

void FormModel::PutControl(FormControl control) {
  for (FormControl& existing : controls_) {
    if (existing.name == control.name) {
      existing = std::move(control);
      return;
    }
  }
  controls_.push_back(std::move(control));
}

bool FormModel::RemoveControl(std::string_view control_name) {
  for (auto it = controls_.begin(); it != controls_.end(); ++it) {
    if (it->name == control_name) {
      controls_.erase(it);
      return true;
    }
  }
  return false;
}

const FormControl* FormModel::SetControlCaption(std::string_view control_name,
                                                std::string caption) {
  for (FormControl& control : controls_) {
    if (control.name == control_name) {
      control.caption = std::move(caption);
      return &control;
    }
  }
  return nullptr;
}

}  // namespace quorvane::forms
