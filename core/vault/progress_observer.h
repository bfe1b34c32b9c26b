// Receives the progress of a long operation (a check-in), as a percentage.
#pragma once

namespace tuv {

class progress_observer {
  public:
    virtual ~progress_observer() = default;
    // `percent` runs from 0 to 100.
    virtual void update(int percent) = 0;
};

}  // namespace tuv
