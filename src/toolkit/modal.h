// Modal runs of requesters: while one is open, window timers do not tick and queued events wait.
#pragma once

// Brackets a modal run; nestable. Implemented by the event queue and timers.
void BeginModalRun();
void EndModalRun();

struct ModalRunScope {
    ModalRunScope() { BeginModalRun(); }
    ~ModalRunScope() { EndModalRun(); }
    ModalRunScope(const ModalRunScope&) = delete;
    ModalRunScope& operator=(const ModalRunScope&) = delete;
};
