#pragma once
// Binding and moving whole widget trees. Each function visits the given
// object and then every descendant, depth first in child order, and handles
// each object that is a MemProxy.

class MemControllerFactory;
class QObject;

// initializeMemAPI(factory) then assignMemAPI() on every proxy.
void createMemProxyController(MemControllerFactory* factory, QObject* root);
// assignClassMemAPI(bank, 0), (template, 1), (knob, 2) on every proxy.
void assignBank(QObject* root, int bank);
void assignTemplate(QObject* root, int templ);
void assignController(QObject* root, int knob);
