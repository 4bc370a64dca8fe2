#pragma once
// The steps of the library's first initialisation and last de-initialisation that belong to
// later subsystems, called by DLLInitialize and DLLDeInitialize in this order:
//
//   first DLLInitialize:   CreateMasterCVTBL, InitializeSystemClasses, InitializeSceneClasses,
//                          CreateMasterCVTBLHash
//   other DLLDeInitialize: ExitStorage(0)
//   last DLLDeInitialize:  ExitStorage(1), UnInitializeSceneClasses, DeleteMasterCVTBL
//
// The class tables (script/) define CreateMasterCVTBL, InitializeSystemClasses,
// CreateMasterCVTBLHash and DeleteMasterCVTBL; the scene classes (scene/) define
// InitializeSceneClasses and UnInitializeSceneClasses; the storage layer (stream/) defines
// ExitStorage. Until they do, LifecycleSteps.cpp supplies weak empty stand-ins that their
// definitions replace at link time.

namespace Quorlix {

void CreateMasterCVTBL();
void InitializeSystemClasses();
void InitializeSceneClasses();
void CreateMasterCVTBLHash();
void UnInitializeSceneClasses();
void DeleteMasterCVTBL();
/// 0: release what the calling thread holds; 1: shut the storage layer down.
void ExitStorage(int all);

namespace Internal {

/// Sees each step by name ("CreateMasterCVTBL", ..., "ExitStorage(0)", "ExitStorage(1)") just
/// before it runs; for tests. Null removes the observer; returns the previous one.
using LifecycleObserver = void (*)(const char* step);
LifecycleObserver SetLifecycleObserver(LifecycleObserver observer);
void NotifyLifecycleStep(const char* step);

} // namespace Internal

} // namespace Quorlix
