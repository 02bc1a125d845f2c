#pragma once

class Module1;
class Program;

// Teaches the program how to load each of its forms.
void registerMerivoForms(Program &program, Module1 &module1);
