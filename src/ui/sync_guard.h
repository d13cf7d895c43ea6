// Adapters raise a flag while they bring their native widgets in line with the model: the
// notifications those updates raise are then not taken for the user's actions. The guard
// holds the flag for a scope and gives it back as it was, so that nested updates keep it.
#pragma once

namespace ui {

class SyncGuard {
  public:
    explicit SyncGuard(bool& syncing) : syncing_(syncing), was_(syncing) { syncing_ = true; }
    ~SyncGuard() { syncing_ = was_; }
    SyncGuard(const SyncGuard&) = delete;
    SyncGuard& operator=(const SyncGuard&) = delete;

  private:
    bool& syncing_;
    bool was_;
};

}  // namespace ui
