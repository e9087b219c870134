// Scriptable applications live here.
