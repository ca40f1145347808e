// EmptyModule: the plugin frame with no information record registered. Every
// global query must give its failure answer and nothing may be instantiated.
//
// This file deliberately registers nothing; the module is plugMain alone.
