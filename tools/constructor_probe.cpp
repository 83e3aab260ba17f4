// Has a static constructor on purpose: the build check for them must reject
// this object.
struct Probe {
  Probe();
  int value;
};

Probe::Probe() : value(1) {}

Probe probe;
