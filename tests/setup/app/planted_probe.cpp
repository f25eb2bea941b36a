// A DLL that lies beside the test program, standing for one planted beside Setup.exe.
extern "C" __declspec(dllexport) int PlantedProbe() {
  return 42;
}
